// The second process of the local server tests: creates the test sink served
// for the class id given first, then records each pair of numbers that
// follows. Prints "create <hr>", then "record <hr>" for each pair, in
// hexadecimal. Exit status 0 when every step succeeded, 1 otherwise, 2 for bad
// arguments.

#include "platform/com/tests/LocalClientProcess.h"
#include "platform/com/tests/TestSink.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    const auto clsid = argc >= 2 && argc % 2 == 0 ? plat::parse_guid(argv[1]) : std::nullopt;
    if (!clsid)
        return 2;
    CoInitialize(nullptr);
    plat::ComPtr<ITestSink> sink;
    HRESULT hr = com_testing::create_served(*clsid, test_sink_marshalling(), sink);
    for (int i = 2; SUCCEEDED(hr) && i < argc; i += 2)
        hr = com_testing::print_step("record", sink->Record(std::atoi(argv[i]), std::atoi(argv[i + 1])));
    sink.reset();
    CoUninitialize();
    return SUCCEEDED(hr) ? 0 : 1;
}
