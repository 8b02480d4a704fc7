// Cursor picking in screen space: square centres projected with the camera
// of the current frame, the nearest to the cursor wins, ties to the first
// found. hoverColumn and hoverRow are written only by pickSquare.
#include "scene/picking.h"

#include "render/camera.h"
#include "rules/position.h"
#include "scene/input.h"
#include "scene/scene.h"

int hoverColumn = 0;
int hoverRow = 0;

namespace {

// Squared pixel distance from the cursor to the square centre's projection.
float cursorDistanceSquared(int column, int row, int columns) {
    const Vec3 centre = squareCentre(column, row, columns);
    const Projection p = projectPosition(centre.x, centre.y, centre.z, ViewMatrix);
    const float dx = p.screenX - static_cast<float>(MouseX);
    const float dy = p.screenY - static_cast<float>(MouseY);
    return dx * dx + dy * dy;
}

} // namespace

void pickSquare() {
    const int columns = ruleVariants[ruleVariant].columns;
    float best = PickDistanceLimit;
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < columns; ++row) {
            const float d = cursorDistanceSquared(column, row, columns);
            if (d < best) {
                best = d;
                hoverColumn = column;
                hoverRow = row;
            }
        }
    }
}

int pickPiece(const Position& position, int side) {
    const RuleVariant& rules = ruleVariants[ruleVariant];
    float best = PickDistanceLimit;
    int chosen = -1;
    for (int i = 0; i < rules.piecesPerSide; ++i) {
        const Piece& piece = pieceOf(position, side, i);
        if (piece.column == -1) continue;
        const float d = cursorDistanceSquared(piece.column, piece.row, rules.columns);
        if (d < best) {
            best = d;
            chosen = i;
        }
    }
    return chosen;
}

int isCursorInRect(int left, int top, int right, int bottom) {
    return left < MouseX && MouseX < right && top < MouseY && MouseY < bottom ? 1 : 0;
}
