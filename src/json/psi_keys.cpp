// The tables the run took last: the PAT, the target's PMT, the CAT and the
// services of the SDT of the actual stream.
#include "document_keys.h"
#include "filter_state.h"
#include "json_writer.h"
#include "psi.h"

namespace {

void write_pat() {
    if (PAT_info.version < 0) {
        json_null("pat");
        return;
    }
    json_open_object("pat");
    json_integer("transport_stream_id", PAT_info.transport_stream_id);
    json_integer("version", PAT_info.version);
    json_open_array("programs");
    for (int i = 0; i < PAT_info.program_count; ++i) {
        json_open_object(nullptr);
        json_integer("program_number", PAT_info.program_number[i]);
        json_integer("pid", PAT_info.pmt_pid[i]);
        json_close_object();
    }
    json_close_array();
    json_close_object();
}

void write_pid_list(const char* key, int32_t pid) {
    json_open_array(key);
    if (pid != -1) json_integer(nullptr, pid);
    json_close_array();
}

void write_pmt() {
    if (PMT_version < 0) {
        json_null("pmt");
        return;
    }
    json_open_object("pmt");
    json_integer("program_number", Target_program_number);
    json_integer("version", PMT_version);
    json_integer("pcr_pid", PCR_PID);
    write_pid_list("ecm_pids", CA_info.ECM_PID);
    json_open_array("streams");
    for (uint32_t i = 0; i < Number_of_program; ++i) {
        json_open_object(nullptr);
        json_integer("pid", STRM_PID[i]);
        json_integer("stream_type", STRM_TYPE[i]);
        json_string("name", stream_type_name(STRM_TYPE[i]));
        json_close_object();
    }
    json_close_array();
    json_close_object();
}

void write_cat() {
    if (CA_info.version < 0) {
        json_null("cat");
        return;
    }
    json_open_object("cat");
    json_integer("version", CA_info.version);
    write_pid_list("emm_pids", CA_info.EMM_PID);
    json_close_object();
}

// Each service is closed when the next begins, or when the walk ends: the
// first of its service descriptors names it.
struct SERVICE_WALK {
    bool open;
    bool named;
};

void close_service(SERVICE_WALK* walk) {
    if (!walk->open) return;
    if (!walk->named) {
        json_null("service_type");
        json_null("provider");
        json_null("name");
    }
    json_close_object();
    walk->open = false;
}

void open_service(void* context, int service_id) {
    SERVICE_WALK* walk = static_cast<SERVICE_WALK*>(context);
    close_service(walk);
    json_open_object(nullptr);
    json_integer("service_id", service_id);
    *walk = {true, false};
}

void name_service(void* context, int service_type, ARIB_TEXT provider, ARIB_TEXT name) {
    SERVICE_WALK* walk = static_cast<SERVICE_WALK*>(context);
    if (walk->named) return;
    char text[SERVICE_NAME_TEXT_LIMIT + 1];
    json_integer("service_type", service_type);
    convert_service_name(provider, text);
    json_string("provider", text);
    convert_service_name(name, text);
    json_string("name", text);
    walk->named = true;
}

void write_services() {
    json_open_array("services");
    int length = 0;
    const uint8_t* section = last_sdt_walked(&length);
    if (section != nullptr) {
        SERVICE_WALK walk = {false, false};
        walk_sdt_services(section, length, SDT_VISITOR{open_service, name_service, &walk});
        close_service(&walk);
    }
    json_close_array();
}

}  // namespace

void write_psi_keys() {
    write_pat();
    write_pmt();
    write_cat();
    write_services();
}
