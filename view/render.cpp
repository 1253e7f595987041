#include "view/render.h"

#include <GL/glut.h>

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/spring_list.h"
#include "sim/world.h"
#include "view/camera.h"
#include "view/frame_clock.h"
#include "view/frame_pacing.h"

namespace {

// The room's quads stand out of the room by this much (scene units), so a point resting on
// the floor just touches the floor's quad.
constexpr float kRoomMargin = 0.05f;
constexpr float kPointEdge = 0.1f;

CameraTarget camera;

void lookAtLeadCube() {
    const Vec3 target = camera.follow(*leadCube);
    gluLookAt(5.0, 4.5, 3.0, target.x, target.y, target.z, 0.0, 0.0, 1.0);
}

// The floor and the near (y = roomMinY) and far (y = roomMaxY) walls; none at the x bounds,
// no ceiling.
void drawRoom() {
    const float minX = roomMinX - kRoomMargin;
    const float maxX = roomMaxX + kRoomMargin;
    const float minY = roomMinY - kRoomMargin;
    const float maxY = roomMaxY + kRoomMargin;
    const float bottom = floorZ - kRoomMargin;
    const float top = roomMaxZ + kRoomMargin;

    glBegin(GL_QUADS);
    glColor3f(0.0f, 0.4f, 1.0f);  // floor
    glVertex3f(minX, minY, bottom);
    glVertex3f(maxX, minY, bottom);
    glVertex3f(maxX, maxY, bottom);
    glVertex3f(minX, maxY, bottom);
    glColor3f(0.0f, 0.4f, 0.77f);  // near wall
    glVertex3f(minX, minY, bottom);
    glVertex3f(maxX, minY, bottom);
    glVertex3f(maxX, minY, top);
    glVertex3f(minX, minY, top);
    glColor3f(0.0f, 0.0f, 0.77f);  // far wall
    glVertex3f(maxX, maxY, bottom);
    glVertex3f(minX, maxY, bottom);
    glVertex3f(minX, maxY, top);
    glVertex3f(maxX, maxY, top);
    glEnd();
}

void drawFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    lookAtLeadCube();
    drawRoom();

    // The terminator cell holds no spring.
    for (const SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) drawSpring(*cell->spring);

    // Moving points only: neither the chain head nor the anchors outside the chain.
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) drawPoint(*p);

    glFlush();
    glutSwapBuffers();
}

}  // namespace

void onDisplay() {
    if (paceDisplayCall(frameClock())) drawFrame();
}

void onReshape(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1.0, 1.0, -1.0, 1.0, 1.5, 50.0);
    glMatrixMode(GL_MODELVIEW);
    onDisplay();
}

void drawSpring(const Spring& spring) {
    glBegin(GL_LINES);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3fv(&spring.a->position.x);
    glVertex3fv(&spring.b->position.x);
    glEnd();
}

void drawPoint(const MassPoint& point) {
    // Moved there and back by the opposite translation, without the matrix stack.
    const Vec3& p = point.position;
    glColor3f(1.0f, 1.0f, 0.0f);
    glTranslatef(p.x, p.y, p.z);
    glutSolidCube(kPointEdge);
    glTranslatef(-p.x, -p.y, -p.z);
}
