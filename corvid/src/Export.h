// Marks the functions libcorvid exports; everything else is built hidden.
#pragma once

#define CORVID_API __attribute__((visibility("default")))
