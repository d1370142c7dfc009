#pragma once

namespace mellowby::cli {

struct Tool;

// Every file of a catalog as CSV or JSON.
int exportCommand(Tool& tool);
// Files that share a name and a size across catalogs.
int dupesCommand(Tool& tool);
// What each catalog holds, in figures.
int statsCommand(Tool& tool);

} // namespace mellowby::cli
