// SDT of the actual transport stream: reports every service with its type and
// its provider and service names, converted from ARIB STD-B24 to UTF-8. The
// walk and the conversions run in both modes; the lines only in a report run.
#include <cstdio>
#include <cstring>

#include "arib_iconv.h"
#include "cli.h"
#include "psi.h"
#include "psi_internal.h"

namespace {

constexpr int SDT_TABLE_ID = 0x42;
constexpr int SDT_FIXED_BYTES = 11;  // up to the service loop
constexpr int CRC_BYTES = 4;
constexpr int SDT_MIN_SECTION_LENGTH = SDT_FIXED_BYTES + CRC_BYTES - 3;
constexpr int SERVICE_ENTRY_BYTES = 5;
constexpr int SERVICE_DESCRIPTOR_TAG = 0x48;

SECTION_MEMO Walked_section;

const SECTION_USER SDT_USER = {&SDT_sec_buff,
                               SDT_TABLE_ID,
                               "%08llX: Payload does not exist, aborted.",
                               "%08llX: Invalid SDT table id[%d], aborted.",
                               "SDT",
                               SDT_MIN_SECTION_LENGTH};

[[noreturn]] void fail_conversion(const char* message) {
    std::fflush(stdout);  // what was printed before comes first when both streams share a file
    std::fputs(message, stderr);
    note_failure(message);
    swexit(1);
}

void print_name(const char* label, ARIB_TEXT name) {
    char text[SERVICE_NAME_TEXT_LIMIT + 1];
    convert_service_name(name, text);
    if (Analyze_PSI_flag) {
        std::fputs(label, stdout);
        std::fputs(text, stdout);
        std::fputc('\n', stdout);
    }
}

// The report's walk; without a report it only proves that the names convert.
void print_service(void*, int service_id) {
    if (!Analyze_PSI_flag) return;
    print_separator();
    std::fputs("  Service ID: ", stdout);
    print_id(service_id, 3);
}

void print_service_descriptor(void*, int service_type, ARIB_TEXT provider, ARIB_TEXT name) {
    print_service_type(service_type);
    print_name("   Service provider name: ", provider);
    print_name("   Service name:          ", name);
}

// A service descriptor. Returns the offset just past the service name, or -1
// when the names would reach past the end of the service loop.
int take_service_descriptor(const uint8_t* section, int pos, int loop_end, const SDT_VISITOR& visitor) {
    if (pos + 4 > loop_end) return -1;
    const int provider_length = section[pos + 3];
    const int provider_at = pos + 4;
    if (provider_at + provider_length + 1 > loop_end) return -1;
    const int name_length = section[provider_at + provider_length];
    const int name_at = provider_at + provider_length + 1;
    if (name_at + name_length > loop_end) return -1;
    visitor.descriptor(visitor.context, section[pos + 2], ARIB_TEXT{section + provider_at, provider_length},
                       ARIB_TEXT{section + name_at, name_length});
    return name_at + name_length;
}

}  // namespace

// Lengths are trusted only as far as the loop's end: where one would lead a
// read past it, the walk ends there.
void walk_sdt_services(const uint8_t* section, int length, const SDT_VISITOR& visitor) {
    const int loop_end = length - CRC_BYTES;
    int services_left = length - SDT_FIXED_BYTES - CRC_BYTES;
    int pos = SDT_FIXED_BYTES;
    while (services_left > 0) {
        if (pos + SERVICE_ENTRY_BYTES > loop_end) return;
        const uint8_t* entry = section + pos;
        visitor.service(visitor.context, read_u16(entry));
        int descriptors_left = read_length12(entry + 3);
        services_left -= SERVICE_ENTRY_BYTES;
        pos += SERVICE_ENTRY_BYTES;
        while (descriptors_left > 0) {
            if (pos + 2 > loop_end) return;
            const int tag = section[pos];
            const int len = section[pos + 1];
            if (tag == SERVICE_DESCRIPTOR_TAG) {
                pos = take_service_descriptor(section, pos, loop_end, visitor);
                if (pos < 0) return;
            } else {
                pos += 2 + len;
            }
            descriptors_left -= 2 + len;
            services_left -= 2 + len;
        }
    }
}

// One converter per name, opened in its initial state and closed after its
// one conversion. A failure ends the run.
void convert_service_name(ARIB_TEXT name, char (&text)[SERVICE_NAME_TEXT_LIMIT + 1]) {
    text[0] = '\0';
    if (name.length <= 0) return;
    char work[255];
    std::memcpy(work, name.bytes, name.length);
    iconv_t cd = arib_iconv_open("UTF-8", "ARIB-B24");
    if (cd == reinterpret_cast<iconv_t>(-1)) fail_conversion("Can't open iconv\n");
    char* in = work;
    size_t in_left = name.length;
    char* out = text;
    size_t out_left = SERVICE_NAME_TEXT_LIMIT;
    if (arib_iconv(cd, &in, &in_left, &out, &out_left) != 0) fail_conversion("Error at iconv()\n");
    *out = '\0';
    arib_iconv_close(cd);
}

const uint8_t* last_sdt_walked(int* length) {
    *length = Walked_section.length;
    return Walked_section.length > 0 ? Walked_section.data : nullptr;
}

void proc_sdt(const uint8_t* data, const MPEG2_TS_HEADER* ts_header) {
    if (!take_collected_section(data, ts_header, SDT_USER)) return;
    const uint8_t* section = SDT_sec_buff.data;
    const int length = SDT_sec_buff.length;
    // Without a report the walk only proves that the names convert, which the
    // section walked last is known to do.
    if (!Analyze_PSI_flag && is_remembered(Walked_section, section, length)) return;
    if (Analyze_PSI_flag) {
        print_title("SDT");
        const int version = read_version(section);
        std::printf(" Version: %02d(0x%02X)\n", version, version);
    }
    walk_sdt_services(section, length, SDT_VISITOR{print_service, print_service_descriptor, nullptr});
    remember(Walked_section, section, length);
    if (Analyze_PSI_flag) std::fputs(" \n", stdout);
}
