// stamp.h - the time-stamp value names of the sent-messages history: "HH:MM:SS DD.MM.YYYY"
// of the local time, and the next second after one (a save looks for a free name with it).
#ifndef TOLVIK_STAMP_H
#define TOLVIK_STAMP_H

#include <string>

struct Stamp {
    int year, month, day, hour, minute, second;
};

// "%02d:%02d:%02d %02d.%02d.%02d" of hour, minute, second, day, month, year.
std::string stamp_name(const Stamp &t);

// One second later, across minutes, hours, days, months, years and leap days.
Stamp next_second(Stamp t);

#endif
