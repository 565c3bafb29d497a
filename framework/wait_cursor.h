// The wait cursor, shown between BeginWaitCursor and EndWaitCursor (calls may nest).
#pragma once

void BeginWaitCursor();
void EndWaitCursor();
