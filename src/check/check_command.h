// `drevel check FILE.dv ...`: reports, one line each as FILE:LINE:COLUMN:
// message, what the lenient front end drops or skips in each file and what a
// careful reader would flag. Returns 0 when nothing was found, 1 otherwise.
#pragma once

#include <string>
#include <vector>

namespace drevel {

int check_files(const std::vector<std::string>& files);

} // namespace drevel
