// Build-time constants for the target tests. Each version differs, so a
// placeholder that read the wrong constant shows.
#include "launcher/build_constants.h"

extern "C" {
const Unit tavmorCompanyName[] = u"Pelmarith";
const Unit tavmorProductName[] = u"Quolvenarix";
const Unit tavmorVersion[] = u"1.70.0";
const Unit tavmorFileVersion[] = u"1.70.0.7";
const Unit tavmorProductVersion[] = u"1.70-pv";
}
