#pragma once

namespace mellowby::cli {

struct Tool;

// Catalogues a folder as a catalog in Data.
int scanCommand(Tool& tool);
// The catalogs in Data, with their volumes when asked.
int listCommand(Tool& tool);
// Moves a catalog to the trash.
int deleteCommand(Tool& tool);
// Where the volume of a catalog, or a file on it, is now.
int whereCommand(Tool& tool);

} // namespace mellowby::cli
