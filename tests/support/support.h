// Everything the end-to-end tests need: running the tool, temporary files,
// streams from the builder, and the independent check of extracted files.
#ifndef TSNARROW_TESTS_SUPPORT_H
#define TSNARROW_TESTS_SUPPORT_H

#include "file_io.h"
#include "run_tool.h"
#include "stream_files.h"
#include "temp_dir.h"
#include "tsbuild.h"
#include "tscheck.h"

#endif
