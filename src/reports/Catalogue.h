// The fields of the report catalogue RAPPORT.DB, as its build tool makes it and the chooser reads it.
#pragma once
#include "platform/db/Table.h"

inline void DefineCatalogueFields(TTable& t) {
  t.FieldDefs.Add("TITRE", ftString, 40);
  t.FieldDefs.Add("NOMPROC", ftString, 30);
  t.FieldDefs.Add("PAGE", ftSmallint);
  t.FieldDefs.Add("PERIODE", ftBoolean);
  t.FieldDefs.Add("NO", ftSmallint);
}
