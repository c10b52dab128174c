#include "app/state.h"

int32_t RunMode = ExtractMode;
std::string StartDir;
std::string Title;
std::string SourceFolder;
std::string DestinationFolder;
std::string ListTempPath;
bool ListBufferPresent = false;
std::string ListBuffer;
std::string TempFolder;
