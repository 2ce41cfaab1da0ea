#pragma once
// The start-up's update dialogs: the offer of a new version (133) and the
// download's progress (132), over the self update engine.

class CVersionUpdate;

// Dialog 133 when a newer version is offered; on OK the download with dialog
// 132. True when the verified installer started and the program must end
// without making its window; false lets start-up go on.
bool run_update_dialogs(CVersionUpdate& update);
