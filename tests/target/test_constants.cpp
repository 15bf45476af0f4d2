// Build-time values for the target tests. Each version differs, so a
// placeholder that read the wrong value shows.
#include "target/spec.h"

namespace {

const BuildTimeValues kTestValues = {u"Pelmarith", u"Quolvenarix", u"1.70.0", u"1.70.0.7",
                                     u"1.70-pv"};
// Handed in before any test runs, as the launcher does before its first
// expansion.
const bool kHandedIn = (setBuildTimeValues(&kTestValues), true);

}  // namespace
