// The one way out of a run: close both files and standard output, then end
// with a status.
#include <cstdio>
#include <cstdlib>

#include "block_io.h"
#include "cli.h"
#include "filter_state.h"
#include "json.h"
#include "split.h"
#include "std_streams.h"

exit_hook_t Exit_hook = std::exit;

void swexit(int status) {
    if (FP_in) {
        std::fclose(FP_in);
        FP_in = nullptr;
    }
    // Packets kept before a failure still reach the output. Some file systems
    // report a failed write only when the file is closed.
    if (FP_out && !close_packet_output() && status == 0) {
        print_failure("Can't write Packet data\n");
        status = 1;
    }
    if (Split_flag) end_open_part();
    status = finish_texts(status);
    if (Json_path) status = finish_json_document(status);
    Exit_hook(status);
    std::exit(status);
}
