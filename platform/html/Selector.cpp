#include "platform/html/Selector.h"

#include "platform/html/HtmlTree.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace plat::html {

namespace {

struct Compound {
    std::string tag;   // empty: any
    std::string id;    // empty: any
    std::vector<std::string> classes;
};

bool is_name_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

std::optional<Compound> parse_compound(std::string_view text)
{
    Compound compound;
    std::size_t at = 0;
    while (at < text.size()) {
        const char kind = is_name_char(text[at]) ? 't' : text[at];
        if (kind != 't')
            ++at;
        const std::size_t start = at;
        while (at < text.size() && is_name_char(text[at]))
            ++at;
        std::string name(text.substr(start, at - start));
        if (name.empty())
            return std::nullopt;
        if (kind == 't' && start == 0) {
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            compound.tag = std::move(name);
        } else if (kind == '#') {
            compound.id = std::move(name);
        } else if (kind == '.') {
            compound.classes.push_back(std::move(name));
        } else {
            return std::nullopt;
        }
    }
    return compound;
}

bool has_class(const Node& node, const std::string& wanted)
{
    const std::string* classes = node.attribute("class");
    std::istringstream words(classes ? *classes : std::string());
    std::string word;
    while (words >> word)
        if (word == wanted)
            return true;
    return false;
}

bool matches(const Node& node, const Compound& compound)
{
    if (node.kind() != NodeKind::Element || (!compound.tag.empty() && node.name() != compound.tag))
        return false;
    const std::string* id = node.attribute("id");
    if (!compound.id.empty() && (!id || *id != compound.id))
        return false;
    return std::all_of(compound.classes.begin(), compound.classes.end(),
                       [&](const std::string& c) { return has_class(node, c); });
}

// The last compound matches the node, the others its ancestors in order.
bool matches_chain(const Node& node, const std::vector<Compound>& chain)
{
    if (!matches(node, chain.back()))
        return false;
    std::size_t left = chain.size() - 1;
    for (const Node* above = node.parent(); above && left > 0; above = above->parent())
        if (matches(*above, chain[left - 1]))
            --left;
    return left == 0;
}

}

Node* first_match(Node& root, std::string_view selector)
{
    std::vector<Compound> chain;
    std::istringstream words{std::string(selector)};
    std::string word;
    while (words >> word) {
        auto compound = parse_compound(word);
        if (!compound)
            return nullptr;
        chain.push_back(std::move(*compound));
    }
    if (chain.empty())
        return nullptr;
    for (Node* element : elements_by_tag_name(root, "*"))
        if (matches_chain(*element, chain))
            return element;
    return nullptr;
}

}
