#include "harness/harness.h"

// Arguments are ignored: everything the run needs is built in.
int main() {
    return runHarness();
}
