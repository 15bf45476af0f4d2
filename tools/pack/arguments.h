// Command-line options of the subcommands: "--name value", "--name=value",
// flags without a value, a one-letter alias ("-o"), and "--" before
// positional arguments that begin with a dash.
#pragma once
#include <map>
#include <string>
#include <vector>

struct OptionSpec {
  const char* name;   // "--output"
  const char* alias;  // "-o", or nullptr
  bool takesValue;
};

struct ParsedArguments {
  std::vector<std::string> positional;
  // Options given, by their long name; a flag maps to an empty value.
  std::map<std::string, std::string> options;

  bool has(const std::string& name) const { return options.count(name) > 0; }
  std::string value(const std::string& name, const std::string& fallback = {}) const;
};

// Throws a UserError for an unknown option, a missing value, or an option
// given twice.
ParsedArguments parseArguments(const std::vector<std::string>& arguments,
                               const std::vector<OptionSpec>& specs);

// A whole decimal number between `low` and `high`; throws a UserError naming
// `option` otherwise.
int parseNumberOption(const std::string& option, const std::string& text, int low, int high);
