#pragma once
// The registered splitter with one given parser, for tests and benchmarks.

#include "splitter/quandrel/Quandrel.h"

class ParserFilter final : public CQuandrel {
public:
    explicit ParserFilter(MakeParser make) : CQuandrel({std::move(make)}) {}
    template <class Parser>
    static ParserFilter* with()
    {
        return new ParserFilter([](CBaseSplitterFilter* f) { return std::make_unique<Parser>(f); });
    }

    CBaseParser* parser() const { return CurrentParser(); }
};
