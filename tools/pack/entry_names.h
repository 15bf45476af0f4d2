// The names an application folder may give its entries. On top of what the
// format allows (entryNameFault), Windows must be able to create the file
// under exactly that name: the builder refuses the rest before it writes
// anything, and extract refuses them in attached data from elsewhere.
#pragma once
#include <map>
#include <string>

// Why `name` cannot be an entry name, or an empty string when it can: the
// format's rules, then per component a trailing dot or blank (which Windows
// drops) and the reserved device names CON, PRN, AUX, NUL, COM1-9 and LPT1-9,
// with or without an extension.
std::string entryNameProblem(const std::u16string& name);

// Whether `name` ends in ".exe" without regard to case, after at least one
// other unit.
bool hasExeSuffix(const std::u16string& name);

// Collects names and finds those that Windows would put in the same place:
// two names equal without regard to case, or a file whose name is, without
// regard to case, a folder on another name's path.
class EntryNameSet {
 public:
  // Returns the earlier name that clashes with `name`, or an empty string
  // (and then remembers `name`).
  std::u16string add(const std::u16string& name);

 private:
  struct Place {
    bool isFile;
    std::u16string name;
  };
  std::map<std::u16string, Place> places_;
};
