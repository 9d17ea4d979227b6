// The JSON document of a run: created with the output, written once when the
// run ends, whatever ended it, from the state the run leaves. Nothing of it
// is done on the packet path.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "check.h"
#include "cli.h"
#include "document_keys.h"
#include "json.h"
#include "json_writer.h"
#include "split.h"

const char* Json_path = nullptr;

namespace {

FILE* Document = nullptr;
const char* Input_file = "";
const char* Output_file = nullptr;  // null in a report
int Framing = 0;                    // 0 until known

// Whether `path` is the output's file, by whatever name.
bool names_output(const char* path) {
    struct stat named;
    struct stat output;
    return FP_out != nullptr && stat(path, &named) == 0 && fstat(fileno(FP_out), &output) == 0 &&
           named.st_dev == output.st_dev && named.st_ino == output.st_ino;
}

FILE* open_document(int stdout_fd) {
    if (stdout_fd >= 0) return holds_kept_file(stdout_fd) ? nullptr : fdopen(stdout_fd, "w");
    if (names_kept_file(Json_path) || names_output(Json_path)) return nullptr;
    return std::fopen(Json_path, "w");
}

void write_parts_key() {
    if (!Split_flag) {
        json_null("parts");
        return;
    }
    json_open_array("parts");
    for (const PART_RECORD& part : ended_parts()) {
        json_open_object(nullptr);
        json_string("file", part.file.c_str());
        json_integer("first", part.first);
        json_unsigned("packets", part.packets);
        const bool known = part.event.event_id >= 0;
        if (known) {
            json_integer("event_id", part.event.event_id);
            write_start_time("start", part.event.start_time);
        } else {
            json_null("event_id");
            json_null("start");
        }
        json_string("title", known && part.event.titled ? part.event.title.c_str() : nullptr);
        if (Check_flag) {
            write_check_totals("check", part.check);
        } else {
            json_null("check");
        }
        json_close_object();
    }
    json_close_array();
}

void write_document(int status) {
    json_open_object(nullptr);
    json_string("tsnarrow", VERSION_STRING);
    json_integer("status", status);
    json_string("error", status != 0 ? failure_message() : nullptr);
    json_open_object("input");
    json_string("file", Input_file);
    if (Framing != 0) {
        json_integer("packet_size", Framing);
    } else {
        json_null("packet_size");
    }
    json_integer("packets", PKT_count);
    json_close_object();
    if (Target_program_number >= 0) {
        json_integer("program", Target_program_number);
    } else {
        json_null("program");
    }
    if (Output_file != nullptr) {
        json_open_object("output");
        json_string("file", Output_file);
        json_unsigned("packets", packets_written());
        json_close_object();
    } else {
        json_null("output");
    }
    write_psi_keys();
    write_event_keys();
    write_check_key(Output_file != nullptr);
    write_parts_key();
    json_close_object();
}

}  // namespace

void create_json_document(const char* input_name, const char* output_name, int stdout_fd, bool refused) {
    Input_file = input_name;
    Output_file = output_name;
    if (refused) {
        print_failure("Can't write the JSON document to standard output: it carries the packets\n");
        swexit(1);
    }
    Document = open_document(stdout_fd);
    if (Document == nullptr) {
        print_failure("Can't create file [%s]\n", Json_path);
        swexit(1);
    }
    keep_file_apart(fileno(Document));
    Check_log_kept = Check_flag != 0;
}

void note_json_framing(int framing) { Framing = framing; }

int finish_json_document(int status) {
    if (Document == nullptr) return status;
    json_start(Document);
    write_document(status);
    bool written = json_end();
    int error = errno;
    if (std::fclose(Document) != 0 && written) {
        written = false;
        error = errno;
    }
    Document = nullptr;
    if (written) return status;
    std::fprintf(stderr, "%s: write error on the JSON document [%s]: %s\n", PROGRAM_NAME_STRING, Json_path,
                 std::strerror(error));
    return 1;
}
