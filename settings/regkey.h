// regkey.h - RegKey: the one owner of an open key under HKEY_CURRENT_USER. Move-only; the key
// is closed when its owner ends or opens another. Reads check the value's type and size.
#ifndef TOLVIK_REGKEY_H
#define TOLVIK_REGKEY_H

#include <windows.h>
#include <cstddef>
#include <string_view>
#include <utility>

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

    // Opens path for reading (KEY_QUERY_VALUE), or opens or creates it with access (writes:
    // KEY_SET_VALUE). Either closes what was held first; the result is the registry's.
    LONG open(const char *path);
    LONG create(const char *path, REGSAM access = KEY_SET_VALUE);

    // A REG_DWORD of 4 bytes into value; false (value untouched) for anything else.
    bool dword(const char *name, DWORD &value) const;
    // A REG_SZ whose text fits cap bytes with its zero, into text and terminated there; false
    // for anything else (text then undefined). A text stored without its zero reads the same.
    bool text(const char *name, char *text, std::size_t cap) const;
    template <std::size_t N>
    bool text(const char *name, char (&buf)[N]) const { return text(name, buf, N); }
    bool has(const char *name) const; // a value of that name exists, of any type or size

    // Value `index`, for enumerations: its name into name (nameCap bytes) and, for value_text,
    // its data as by text() with isText telling whether it was one. The result is the
    // registry's: ERROR_SUCCESS, ERROR_MORE_DATA when the name or the data is too long for its
    // room, ERROR_NO_MORE_ITEMS past the last value, or another error.
    LONG value_name(DWORD index, char *name, DWORD nameCap) const;
    LONG value_text(DWORD index, char *name, DWORD nameCap, char *text, std::size_t cap, bool &isText) const;

    // The number of values the key holds; 0 when it cannot be told.
    DWORD value_count() const;

    LONG set_dword(const char *name, DWORD value) const;
    LONG set_text(const char *name, const char *text) const;           // REG_SZ with its zero
    LONG set_bare_text(const char *name, std::string_view text) const; // REG_SZ without it
    LONG erase(const char *name) const;

private:
    void close();
    HKEY key_ = nullptr;
};

#endif
