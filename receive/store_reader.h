// store_reader.h - the message store (key ...\Messages) read on a worker thread of its own, so that
// at start-up the reading overlaps the building of the main window; the store load on the window's
// thread files what it reads. The reader only reads the registry and compares texts; it never
// touches a window.
#ifndef TOLVIK_STORE_READER_H
#define TOLVIK_STORE_READER_H

#include <cstddef>
#include <string>
#include <vector>

extern const char kMessagesKey[]; // the Messages key below the settings key, as a RegKey path

// One stored message as read: the value's name and its full text.
struct StoredText {
    std::string name;
    std::string text;
};

// Starts reading the store, once; the start-up calls it before the main window is built. Without
// it, the first take starts the reading.
void store_reader_start();

// The values read since the last take, in enumeration order, into values (replacing what it held);
// waits while none is there yet. False, with values empty, once the reading is over and every value
// was taken. expected: the number of values the key held when the reading began (0 without a key).
bool store_reader_take(std::vector<StoredText> &values, std::size_t &expected);

// Ends the reader (a reading still under way stops; the start-up calls it so when the store is not
// to be loaded), and tells how the reading went: whether the key could be opened, and whether it was
// read whole (every value text of at most 1023 characters, to the end of the enumeration). Values
// that are no text or too long are not passed on. A later take reads the store again.
struct StoreReadEnd {
    bool opened;
    bool whole;
};
StoreReadEnd store_reader_end();

#endif
