// strimo-pagehost: shows a local HTML file as the page at an address, with
// the browser helper objects a browser would load, and prints what happened.
//
//   strimo-pagehost [--bho module.so] --url ADDRESS [--click SELECTOR]... page.html
//
// The helpers are those registered under HKEY_LOCAL_MACHINE's list of browser
// helper objects; --bho creates them from that module file instead of the
// registered one. Each alert of the page is printed as "alert: <text>" when it
// happens, then the page's markup after the clicks. Exit status: 0 done,
// 1 the page, a helper or a click failed, 2 bad arguments.

#include "platform/browser/PageHost.h"
#include "platform/com/Com.h"
#include "platform/fs/Files.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Arguments {
    std::optional<std::string> module;
    std::string url;
    std::string page;
    std::vector<std::string> clicks;
};

std::optional<Arguments> parse(int argc, char** argv)
{
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--bho" && has_value)
            args.module = argv[++i];
        else if (arg == "--url" && has_value)
            args.url = argv[++i];
        else if (arg == "--click" && has_value)
            args.clicks.push_back(argv[++i]);
        else if (!arg.starts_with("--") && args.page.empty())
            args.page = arg;
        else
            return std::nullopt;
    }
    if (args.url.empty() || args.page.empty())
        return std::nullopt;
    return args;
}

int run(const Arguments& args)
{
    const auto html = plat::read_file(args.page);
    if (!html) {
        std::cerr << "strimo-pagehost: cannot read " << args.page << "\n";
        return 1;
    }
    plat::browser::PageHost host;
    if (FAILED(host.load(html.bytes, args.url))) {
        std::cerr << "strimo-pagehost: the page was refused\n";
        return 1;
    }
    auto helpers = plat::browser::create_browser_helpers(args.module);
    if (helpers.empty()) {
        std::cerr << "strimo-pagehost: no browser helper object could be made (is it registered?)\n";
        return 1;
    }
    for (auto& helper : helpers)
        if (FAILED(host.attach(std::move(helper))))
            std::cerr << "strimo-pagehost: a helper refused its site\n";
    host.complete();
    std::size_t shown = 0;
    int status = 0;
    for (const auto& selector : args.clicks) {
        if (FAILED(host.click(selector))) {
            std::cerr << "strimo-pagehost: nothing matches " << selector << "\n";
            status = 1;
        }
        for (; shown < host.alerts().size(); ++shown)
            std::cout << "alert: " << host.alerts()[shown] << "\n";
    }
    std::cout << host.markup() << "\n";
    host.close();
    return status;
}

}

int main(int argc, char** argv)
{
    const auto args = parse(argc, argv);
    if (!args) {
        std::cerr << "usage: strimo-pagehost [--bho module.so] --url ADDRESS [--click SELECTOR]... page.html\n";
        return 2;
    }
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    const int status = run(*args);
    CoUninitialize();
    return status;
}
