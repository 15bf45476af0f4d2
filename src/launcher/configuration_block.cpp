// The launcher stub's configuration: zero here, stamped by tavmor-pack in
// every launcher. It lives in a translation unit of its own so that no reader
// of it can see the zeros and fold them into its code.
#include "launcher/stamped_configuration.h"

extern "C" {
__attribute__((section(".tavcfg"),
               aligned(16))) extern const StampedConfiguration tavmorConfiguration = {};
}
