// How tavmor-pack fails. A UserError is something the user can fix (a bad
// option, a refused file name, a program that is not one): main prints its one line
// and exits 1. Any other exception is an internal failure: exit 2.
#pragma once
#include <stdexcept>
#include <string>

struct UserError : std::runtime_error {
  explicit UserError(const std::string& message) : std::runtime_error(message) {}
};
