// The program's date-and-time texts: GetDateFormatA / GetTimeFormatA style pictures
// ("yyyy", "MM", "dd", "hh", "mm", "ss") in four styles.
#pragma once

#include <string>

#include "platform/sys.h"

// Style 0 "yyyy年MM月dd日 hh时mm分ss秒", 1 "yyyy-MM-dd hh:mm:ss", 2 "yyyy/MM/dd hh/mm/ss",
// 3 "yyyyMMddhhmmss"; any other style counts as 0.
// Part 0: date and time; 1: date; 2: short date (month and day); 3 and 5: time;
// 4: short time (hours and minutes); any other part counts as 0.
std::string FormatDateTime(const SysTime& time, int style, int part);

// Expands one picture. "hh" is the 12-hour clock (12 for noon and midnight) without
// a marker; other characters, GBK pairs among them, are copied.
std::string ExpandTimePicture(const std::string& picture, const SysTime& time);
