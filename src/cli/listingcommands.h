#pragma once

namespace mellowby::cli {

struct Tool;

// The rows the find panel lists for a text.
int searchCommand(Tool& tool);
// The rows a query finds, with the exact size and time of each file in CSV and JSON.
int findCommand(Tool& tool);
// The rows the file list shows for a folder of a catalog.
int lsCommand(Tool& tool);

} // namespace mellowby::cli
