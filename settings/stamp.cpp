// stamp.cpp - time-stamp value names and their one-second steps (Gregorian calendar).
#include "settings/stamp.h"

#include <cstdio>

std::string stamp_name(const Stamp &t)
{
    char name[64];
    std::snprintf(name, sizeof name, "%02d:%02d:%02d %02d.%02d.%02d", t.hour, t.minute, t.second, t.day, t.month,
                  t.year);
    return name;
}

static int days_in_month(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[(month + 11) % 12];
}

Stamp next_second(Stamp t)
{
    if (++t.second < 60)
        return t;
    t.second = 0;
    if (++t.minute < 60)
        return t;
    t.minute = 0;
    if (++t.hour < 24)
        return t;
    t.hour = 0;
    if (++t.day <= days_in_month(t.year, t.month))
        return t;
    t.day = 1;
    if (++t.month <= 12)
        return t;
    t.month = 1;
    ++t.year;
    return t;
}
