#pragma once
// The widgets that other code finds again: skin name to UI id, and UI id to
// widget (not owning; the tree owns its widgets). The UI thread writes it and
// the logic thread reads it, so both maps sit behind one lock.

#include <string_view>

namespace UI {

class widget;

// Sets name -> id and id -> w; an existing name or id is replaced.
void RegisterWidget(std::string_view name, int id, widget* w);
// The widget registered under id, or null.
widget* GetWidgetById(int id);
// The id registered under the skin name; 0 (entering nothing) for an unknown name.
int GetWidgetIdByName(std::string_view name);
// Drops the id entries that point at w and the names that lead to those ids;
// other widgets sharing a name keep theirs. A widget's destructor calls it.
void UnregisterWidget(const widget* w);

}
