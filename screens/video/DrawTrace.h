#pragma once
// Tells the debug output what a picture's drawer did, once each time that
// changes: why it drew nothing, or that it drew the picture. A picture that
// never shows then names its cause, and a steady state writes no line a frame.

#include <string>
#include <string_view>

namespace UI {

class DrawTrace {
public:
    explicit DrawTrace(std::string who) : m_who(std::move(who)) {}

    // what: a literal (states are told apart by it); detail goes on the line only.
    void Note(const char* what, std::string_view detail = {});

private:
    std::string m_who;
    const char* m_last{nullptr};   // the state told last
};

}
