// The subcommands. Each takes the arguments after its name and returns the
// exit status; a UserError or another exception escapes to main, which
// prints it and exits 1 or 2.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

int runBuild(const std::vector<std::string>& arguments);
int runList(const std::vector<std::string>& arguments);
int runVerify(const std::vector<std::string>& arguments);
int runExtract(const std::vector<std::string>& arguments);
int runNotices(const std::vector<std::string>& arguments);
