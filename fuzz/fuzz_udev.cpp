// The udev rules and database readers of the connection doctor on arbitrary text: no crash,
// and a rule naming the device's own vendor and product always claims it, commented out
// never.
#include "serial/AfPortFacts.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halvex;
    FuzzedDataProvider input(data, size);
    TAfUsbId id;
    id.Vendor = input.ConsumeIntegral<std::uint16_t>();
    id.Product = input.ConsumeIntegral<std::uint16_t>();
    id.Release = input.ConsumeIntegral<std::uint16_t>();
    const std::string text = input.ConsumeRemainingBytesAsString();
    AfUdevProperty(text, "ID_MM_DEVICE_IGNORE");

    char rule[96];
    std::snprintf(rule, sizeof rule, "ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\"",
                  id.Vendor, id.Product);
    // After an empty line: a backslash at the end of the text continues into that line only.
    if (!AfUdevRulesClaim(text + "\n\n" + rule + "\n", id) ||
        AfUdevRulesClaim(std::string("# ") + rule, id)) {
        std::fprintf(stderr, "the rule \"%s\" was misread\n", rule);
        std::abort();
    }
    return 0;
}
