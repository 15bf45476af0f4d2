// The end of the process when a fixed limit is violated or a platform call
// that must not fail did fail: no message, status 3. It sits below every
// subsystem because the bounded text helpers end the process through it.
#pragma once

// Ends the process abnormally without a message, with status 3 and no dialog
// box.
[[noreturn]] void abortSilently();
