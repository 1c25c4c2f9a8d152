// Comparing texts as the user's language sorts them, letter case ignored.
#pragma once

#include <string>

namespace bv {

// <0, 0, >0 as `a` sorts before, with or after `b` in the user's collation, ignoring case.
int ConfrontaTestoSenzaMaiuscole(const std::string& a, const std::string& b);

}  // namespace bv
