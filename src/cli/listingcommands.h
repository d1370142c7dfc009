#pragma once

namespace mellowby::cli {

struct Tool;

// The rows the find panel lists for a text.
int searchCommand(Tool& tool);
// The rows the file list shows for a folder of a catalog.
int lsCommand(Tool& tool);

} // namespace mellowby::cli
