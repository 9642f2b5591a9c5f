#pragma once

class QComboBox;

// Fills a pair of period boxes with the term of ten days ago and the lists of earlier terms.
bool gInitCboTargetDate(QComboBox* startBox, QComboBox* endBox);
