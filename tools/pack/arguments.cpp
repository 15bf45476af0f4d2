#include "arguments.h"

#include "errors.h"

std::string ParsedArguments::value(const std::string& name, const std::string& fallback) const {
  const auto found = options.find(name);
  return found == options.end() ? fallback : found->second;
}

ParsedArguments parseArguments(const std::vector<std::string>& arguments,
                               const std::vector<OptionSpec>& specs) {
  ParsedArguments parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      parsed.positional.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t equals = argument.find('=');
    const std::string key = argument.substr(0, equals);
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& candidate : specs) {
      if (key == candidate.name || (candidate.alias != nullptr && key == candidate.alias)) {
        spec = &candidate;
      }
    }
    if (spec == nullptr) throw UserError("unknown option " + key + " (see --help)");
    std::string value;
    if (spec->takesValue) {
      if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        throw UserError(key + " needs a value");
      }
    } else if (equals != std::string::npos) {
      throw UserError(key + " takes no value");
    }
    if (!parsed.options.emplace(spec->name, value).second) {
      throw UserError(std::string(spec->name) + " is given more than once");
    }
  }
  return parsed;
}

int parseNumberOption(const std::string& option, const std::string& text, int low, int high) {
  const bool digits =
      !text.empty() && text.size() <= 9 &&
      text.find_first_not_of("0123456789", text[0] == '-' ? 1 : 0) == std::string::npos &&
      text != "-";
  const int value = digits ? std::stoi(text) : 0;
  if (!digits || value < low || value > high) {
    throw UserError(option + " " + text + ": expected a whole number from " + std::to_string(low) +
                    " to " + std::to_string(high));
  }
  return value;
}
