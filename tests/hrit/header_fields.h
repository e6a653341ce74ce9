#pragma once

#include <string>

#include "hrit/hrit_header.h"

namespace segweld::test {

// Checks the named fields of a decoded header, given as "name=value;name=value".
// Names are HritHeader's members (texts as written, characters as text, 0 as
// nothing), nominalTime's tm_* members, and dataFieldBytes.
void ExpectFields(const HritHeader& header, const std::string& expected);

}  // namespace segweld::test
