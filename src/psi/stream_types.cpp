// Names of the stream_type values 0x00 to 0x25.
#include "psi.h"

const char* const TS_STREAM_TYPE[TS_STREAM_TYPE_COUNT] = {
    "ITU-T | ISO/IEC Reserved",
    "ISO/IEC 11172(MPEG-1) Video",
    "ITU-T Rec. H.262 | ISO/IEC 13818(MPEG-2)-2 Video or ISO/IEC 11172-2 constrained parameter video stream",
    "ISO/IEC 11172(MPEG-1) Audio",
    "ISO/IEC 13818-3 Audio",
    "ITU-T Rec. H.222.0 | ISO/IEC 13818(MPEG-2)-1 private_sections",
    "ITU-T Rec. H.222.0 | ISO/IEC 13818(MPEG-2)-1 PES packets containing private data",
    "ISO/IEC 13522 MHEG",
    "ITU-T Rec. H.222.0 | ISO/IEC 13818(MPEG-2)-1 Annex A DSM-CC",
    "ITU-T Rec. H.222.1",
    "ISO/IEC 13818(MPEG-2)-6 type A",
    "ISO/IEC 13818(MPEG-2)-6 type B",
    "ISO/IEC 13818(MPEG-2)-6 type C",
    "ISO/IEC 13818(MPEG-2)-6 type D",
    "ITU-T Rec. H.222.0 | ISO/IEC 13818(MPEG-2)-1 auxiliary",
    "ISO/IEC 13818(MPEG-2)-7 Audio with ADTS transport syntax",
    "ISO/IEC 14496(MPEG-4)-2 Visual",
    "ISO/IEC 14496(MPEG-4)-3 Audio with the LATM transport syntax as defined in ISO/IEC 14496-3 / AMD 1",
    "ISO/IEC 14496(MPEG-4)-1 SL-packetized stream or FlexMux stream carried in PES packets",
    "ISO/IEC 14496(MPEG-4)-1 SL-packetized stream or FlexMux stream carried in ISO/IEC14496_sections",
    "ISO/IEC 13818(MPEG-2)-6 Synchronized Download Protocol",
    "Metadata carried in PES packets",
    "Metadata carried in metadata_sections",
    "Metadata carried in ISO/IEC 13818(MPEG-2)-6 Data Carousel",
    "Metadata carried in ISO/IEC 13818(MPEG-2)-6 Object Carousel",
    "Metadata carried in ISO/IEC 13818-6 Synchronized Download Protocol",
    "IPMP stream (defined in ISO/IEC 13818(MPEG-2)-11, MPEG-2 IPMP)",
    "AVC video as defined in ITU-T Rec. H.264 | ISO/IEC 14496(MPEG-4)-10 Video",
    "ISO/IEC 14496-3 Audio, without using any additional transport syntax, such as DST, ALS and SLS",
    "ISO/IEC 14496-17 Text",
    "Auxiliary video stream as defined in ISO/IEC 23002-3",
    "SVC video sub-bitstream of an AVC video stream conforming to one or more profiles defined in Annex G of "
    "Rec. ITU-T H.264 | ISO/IEC 14496-10",
    "MVC video sub-bitstream of an AVC video stream conforming to one or more profiles defined in Annex H of "
    "Rec. ITU-T H.264 | ISO/IEC 14496-10",
    "Video stream conforming to one or more profiles as defined in Rec. ITU-T T.800 | ISO/IEC 15444-1",
    "Additional view Rec. ITU-T H.262 | ISO/IEC 13818-2 video stream for service-compatible stereoscopic 3D "
    "services",
    "Additional view Rec. ITU-T H.264 | ISO/IEC 14496-10 video stream conforming to one or more profiles "
    "defined in Annex A for service-compatible stereoscopic 3D services",
    "HEVC video stream or an HEVC temporal video sub-bitstream defined in ITU-T Rec. H.265 | ISO/IEC 23008-2",
    "HEVC temporal video subset of an HEVC video stream conforming to one or more profiles defined in Annex "
    "A "
    "of ITU-T Rec. H.265 | ISO/IEC 23008-2",
};

const char* stream_type_name(int32_t type) {
    return type >= 0 && type < TS_STREAM_TYPE_COUNT ? TS_STREAM_TYPE[type] : "Undefined";
}
