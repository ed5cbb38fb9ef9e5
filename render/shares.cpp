// Pure decisions of the frame hand-off: each participant's block of rows and
// the packing of a frame's ticket. Shares are static, one contiguous block
// per participant, the remainder going to the last worker.
#include "render/render.h"

RowShare mainThreadShare(int participants, int rows)
{
    if (rows <= 0)
        return {0, 0};
    if (participants <= rows)
        return {0, rows / participants};
    return {0, 1};
}

int workersInFrame(int participants, int rows)
{
    if (rows <= 0)
        return 0;
    return participants <= rows ? participants - 1 : rows - 1;
}

bool workerShare(int index, int participants, int rows, RowShare* share)
{
    int own = index + 1;
    if (own >= rows || own >= participants)
        return false;
    if (participants < rows) {
        int q = rows / participants;
        share->first = own * q;
        share->end = own == participants - 1 ? rows : (own + 1) * q;
    } else {
        share->first = own;
        share->end = own + 1;
    }
    return true;
}

uint64_t packFrameTicket(uint32_t sequence, int participants, int rows)
{
    return ((uint64_t)(sequence & 0xFFFFu) << 48) | ((uint64_t)(participants & 0xFFFF) << 32) |
           (uint32_t)rows;
}

void unpackFrameTicket(uint64_t ticket, uint32_t* sequence, int* participants, int* rows)
{
    *sequence = (uint32_t)(ticket >> 48);
    *participants = (int)((ticket >> 32) & 0xFFFF);
    *rows = (int)(uint32_t)ticket;
}
