#pragma once
// The statements of the starter database, as `make run` lays it beside the program.

#include <string>

namespace qw::test {

std::string StarterSchema();

}  // namespace qw::test
