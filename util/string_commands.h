// The string module's handlers. The slicing and converting commands change their first
// argument in place and return that same node; the others release their arguments.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>

#include "basic/ks_str.h"

namespace stringcmd {

ksStr* repeat(ksStr* text, int32_t count);
ksStr* left(ksStr* text, int32_t count);
ksStr* right(ksStr* text, int32_t count);
ksStr* replace(ksStr* text, ksStr* from, ksStr* to);
int32_t instr(ksStr* text, ksStr* find, int32_t from);
ksStr* mid(ksStr* text, int32_t start, int32_t count);
ksStr* upper(ksStr* text);
ksStr* lower(ksStr* text);
ksStr* trim(ksStr* text);
ksStr* lset(ksStr* text, int32_t size);
ksStr* rset(ksStr* text, int32_t size);
ksStr* chr(int32_t code);
int32_t asc(ksStr* text);
int32_t len(ksStr* text);
ksStr* hex(int32_t value);
ksStr* bin(int32_t value);
ksStr* currentDate();
ksStr* currentTime();

// The texts of CurrentDate and CurrentTime for a given local time.
std::string dateText(const std::tm& time);
std::string timeText(const std::tm& time);

}  // namespace stringcmd
