// The file names of the parts: a template whose fields the part's number and
// programme fill.
#ifndef TSNARROW_PART_NAMES_H
#define TSNARROW_PART_NAMES_H

#include <string>

#include "split.h"

// Whether every % of the template begins a field: %n %e %s %t or %%.
bool is_name_template(const char* name_template);

// Takes the template for the names to come. One without a field gets -%n
// before its extension (the last '.' of its last component), or at its end.
void take_name_template(const char* name_template);

// A part's name: the template's fields filled (%e and %s as the Part lines
// give them), the title cut at a character so that the last component fits
// in 255 bytes, and -2, -3, ... before the extension when the name was given
// to an earlier part of the run. The name is then taken; forget_part_name
// gives it back.
std::string take_part_name(int number, const PART_EVENT& event);
void forget_part_name(const std::string& name);

// %e: four upper-case hexadecimal digits, or "none" while unknown.
std::string event_id_field(const PART_EVENT& event);
// %s: YYYYMMDD-HHMMSS as broadcast (JST), or "unknown" while unknown or undefined.
std::string start_field(const PART_EVENT& event);

#endif
