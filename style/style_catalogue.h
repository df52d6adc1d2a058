// The built-in style catalogue: which definition fills which slot of the
// style table, the named styles, and the random-category entries of slot 0.
#pragma once

#include "style/style_record.h"

// Runs the definition of catalogue position (category, slot) on `record`:
// slot 0 the category's random entry, a named style's definition, or the
// empty-slot filler.  A definition reads nothing but its own record and the
// engine options, so it may fill any record with its style.
void RunStyleSlotDefinition(int category, int slot, StyleRecord& record);

// True when the catalogue defines a named style at (category, slot).
bool IsNamedStyleSlot(int category, int slot);

// Slot 0 of a category: the style defaults under the entry's names, its
// description and random_category = category + 1 (no finalising step).
void DefineRandomCategoryEntry(int category, StyleRecord& record);
