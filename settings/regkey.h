// regkey.h - RegKey: the one owner of an open key of Tolvik's. Move-only; the key is closed when
// its owner ends or opens another. Reads check the value's type and size; walks over a key's
// values keep the one enumeration rule.
#ifndef TOLVIK_REGKEY_H
#define TOLVIK_REGKEY_H

#include <windows.h>
#include <cstddef>
#include <string_view>
#include <utility>

constexpr char kSettingsKey[] = ""; // the path of the settings key itself

class RegKey {
public:
    RegKey() = default;
    RegKey(RegKey &&other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegKey &operator=(RegKey &&other) noexcept
    {
        if (this != &other) {
            close();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;
    ~RegKey() { close(); }

    // Every key Tolvik keeps lies under its settings key, HKEY_CURRENT_USER\Software\Morvane\Tolvik;
    // paths name a key below it ("History", "History\\ALICE"), or the settings key itself
    // (kSettingsKey).
    // Opens path for reading (KEY_QUERY_VALUE), or opens or creates it with access (writes:
    // KEY_SET_VALUE). Either closes what was held first; the result is the registry's.
    LONG open(const char *path);
    LONG create(const char *path, REGSAM access = KEY_SET_VALUE);
    static LONG erase_key(const char *path); // a key without subkeys, with its values

    // A REG_DWORD of 4 bytes into value; false (value untouched) for anything else.
    bool dword(const char *name, DWORD &value) const;
    // A REG_SZ whose text fits cap bytes with its zero, into text and terminated there; false
    // for anything else (text then undefined). A text stored without its zero reads the same.
    bool text(const char *name, char *text, std::size_t cap) const;
    template <std::size_t N>
    bool text(const char *name, char (&buf)[N]) const { return text(name, buf, N); }
    bool has(const char *name) const; // a value of that name exists, of any type or size

    // Walks the values in the key's order, calling fn(name) with each name of at most 256
    // characters, or fn(name, text) with each name that fits nameCap bytes (at most 257) whose
    // data is a text as read by text(); fn returns false to end the walk. True when the walk
    // reached the end of the list, passing over no value (a name or data too long for its room,
    // or data that is no text) and not ended by fn. The one rule of every walk: a value too long
    // for its room is passed over, since the next may fit; any other failure ends the walk: the
    // end of the list, and also the key deleted or made unreadable meanwhile, which answers so
    // for every index.
    template <typename Fn> bool each_name(Fn fn) const;
    template <typename Fn> bool each_text(DWORD nameCap, Fn fn) const;

    // The number of values the key holds; 0 when it cannot be told.
    DWORD value_count() const;

    LONG set_dword(const char *name, DWORD value) const;
    LONG set_text(const char *name, const char *text) const;           // REG_SZ with its zero
    LONG set_bare_text(const char *name, std::string_view text) const; // REG_SZ without it
    LONG erase(const char *name) const;

private:
    // Value `index`'s name (and data, for value_text) as the registry answers it.
    LONG value_name(DWORD index, char *name, DWORD nameCap) const;
    LONG value_text(DWORD index, char *name, DWORD nameCap, char *text, std::size_t cap, bool &isText) const;
    // The walk over the values: read(index) reads one, take() is called for each value read.
    template <typename Read, typename Take> static bool walk(Read read, Take take);
    void close();
    HKEY key_ = nullptr;
};

template <typename Read, typename Take>
bool RegKey::walk(Read read, Take take)
{
    bool whole = true;
    for (DWORD i = 0;; ++i) {
        LONG rc = read(i);
        if (rc == ERROR_MORE_DATA) {
            whole = false;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return whole && rc == ERROR_NO_MORE_ITEMS;
        if (!take())
            return false;
    }
}

template <typename Fn>
bool RegKey::each_name(Fn fn) const
{
    char name[257];
    return walk([&](DWORD i) { return value_name(i, name, sizeof name); },
                [&] { return fn(static_cast<const char *>(name)); });
}

template <typename Fn>
bool RegKey::each_text(DWORD nameCap, Fn fn) const
{
    char name[257], text[1024];
    DWORD room = nameCap < sizeof name ? nameCap : static_cast<DWORD>(sizeof name);
    bool isText = false, allText = true;
    bool whole = walk([&](DWORD i) { return value_text(i, name, room, text, sizeof text, isText); },
                      [&] {
                          allText = allText && isText;
                          return !isText || fn(static_cast<const char *>(name), static_cast<const char *>(text));
                      });
    return whole && allText;
}

#endif
