// A setup of the codec carried into a product: the register and field definitions as a C header
// with an initialisation table, the tables a Linux ASoC codec driver's regmap takes, or JSON.
// All come from the one field description (controlcatalogue.h).
//
// Names: TESSALY_ and the field's control name without its kind prefix (cb, c, rg, tk), in upper
// case; an attenuation's takes ATT_ before it (TESSALY_ATT_DAC1), so that it and the channel's
// mute (TESSALY_DAC1) stay apart. A field has _REG, _SHIFT and _MASK (in place), and each item
// of a list or radio group a value, in the field: TESSALY_DACFMT_24BIT_IIS.
#pragma once

#include "controlcatalogue.h"
#include "device/codecregisters.h"

#include <string>

namespace larkspur {

// The field's name in the exports, without TESSALY_: DACFMT, INVDAC2, ATT_DAC1.
std::string exportName(const BoundControl& row);

// The header's definitions alone: registers, fields, items. What the development package
// installs as tessaly.h.
std::string exportDefinitions();

// The definitions and `tessaly_init`, one write per register in order, each with a comment
// naming the field values it sets. C99 and C++ alike.
std::string exportC(const RegisterImage& image);

// `struct reg_sequence tessaly_init_seq[]` (the setup) and `struct reg_default
// tessaly_reg_defaults[]` (the codec's defaults), for a driver that includes <linux/regmap.h>.
std::string exportLinux(const RegisterImage& image);

// {"registers": [{"address", "value"}...], "fields": [{"field", "name", "caption", "register",
// "shift", "width", "value", "text"}...]}: the value is the field's item (an attenuation's the
// register), the text as the control shows it.
std::string exportJson(const RegisterImage& image);

} // namespace larkspur
