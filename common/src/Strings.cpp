#include "common/Strings.h"

#include "StringResources.h"

std::string LoadString(std::uint32_t id) { return LoadStringResource(TraceProgram::Kelpconf, id); }
