// Words of a text: runs of characters outside a set of delimiters. The structure check and the
// reindexing read the schema text's lines with these two.
#pragma once
#include <QString>

// The n-th word (n from 1) of the text; empty when the text has fewer words.
QString WordAt(int n, const QString& text, const QString& delimiters);
// Where the n-th word starts (1 = first character); 0 when there is no such word.
int WordPosition(int n, const QString& text, const QString& delimiters);
