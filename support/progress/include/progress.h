// A numeric slide control turned into a progress bar with milestones, a
// label line and learned timing. A background tick moves the bar between
// reported milestones at the pace earlier runs have shown.
#ifndef CORVIN_PROGRESS_H
#define CORVIN_PROGRESS_H

enum ProgressAttr {
    PROGRESS_ATTR_UPDATE_MODE = 1, // 1 manual, 2 automatic, 3 indeterminate
    PROGRESS_ATTR_FILL_COLOR = 2,
    PROGRESS_ATTR_ERROR_COLOR = 3,
    PROGRESS_ATTR_REVERSED = 4,
    PROGRESS_ATTR_LEARNING = 5,
    PROGRESS_ATTR_REPOSITION_MODE = 6,
    PROGRESS_ATTR_INDETERMINATE_SPEED = 7,
    PROGRESS_ATTR_TASKBAR = 8,
};

int MakeProgressBar(int panel, int control);
int RevertProgressBar(int panel, int control);
int ClearProgressMilestones(int panel, int control);
int SetProgressAttribute(int panel, int control, int attribute, double value);
int GetProgressAttribute(int panel, int control, int attribute, double *value);
// Percentages ended by 0.0.
int SetProgressMilestones(int panel, int control, const double *percentages);
int AddProgressMilestone(int panel, int control, double percentage);
int SetProgressPercentage(int panel, int control, double percentage, const char *text);
int StartProgress(int panel, int control, const char *text);
int AdvanceProgress(int panel, int control, const char *text);
int EndProgress(int panel, int control, double *duration, const char *text);

#endif
