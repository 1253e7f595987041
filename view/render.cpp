#include "view/render.h"

#include <GL/glut.h>

#include "view/frame_clock.h"
#include "view/frame_pacing.h"
#include "view/frame_view.h"

namespace {

FrameView frame;

void drawRoom() {
    glBegin(GL_QUADS);
    for (const RoomQuad& quad : frame.room) {
        glColor3f(quad.colour.r, quad.colour.g, quad.colour.b);
        for (const Vec3& v : quad.corners) glVertex3f(v.x, v.y, v.z);
    }
    glEnd();
}

void drawFrame() {
    describeFrame(frame);
    const ViewCamera& c = frame.camera;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(c.eyeX, c.eyeY, c.eyeZ, c.targetX, c.targetY, c.targetZ, c.upX, c.upY, c.upZ);
    drawRoom();
    for (std::size_t i = 0; i < frame.springEnds.size(); i += 2) drawSpring(frame.springEnds[i], frame.springEnds[i + 1]);
    for (const Vec3& p : frame.points) drawPoint(p);
    if (frame.grabbing) drawGrab(frame.grabPoint, frame.grabTarget);

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
    glFrustum(kFrustum.left, kFrustum.right, kFrustum.bottom, kFrustum.top, kFrustum.near, kFrustum.far);
    glMatrixMode(GL_MODELVIEW);
    onDisplay();
}

ViewOrbit& windowView() { return frame.orbit; }
const ViewCamera& windowCamera() { return frame.camera; }

void drawSpring(const Vec3& a, const Vec3& b) {
    glBegin(GL_LINES);
    glColor3f(kSpringColour.r, kSpringColour.g, kSpringColour.b);
    glVertex3fv(&a.x);
    glVertex3fv(&b.x);
    glEnd();
}

void drawPoint(const Vec3& p) {
    // Moved there and back by the opposite translation, without the matrix stack.
    glColor3f(kPointColour.r, kPointColour.g, kPointColour.b);
    glTranslatef(p.x, p.y, p.z);
    glutSolidCube(kPointEdge);
    glTranslatef(-p.x, -p.y, -p.z);
}

void drawGrab(const Vec3& point, const Vec3& target) {
    glColor3f(kGrabColour.r, kGrabColour.g, kGrabColour.b);
    glBegin(GL_LINES);
    glVertex3fv(&point.x);
    glVertex3fv(&target.x);
    glEnd();
    glTranslatef(target.x, target.y, target.z);
    glutWireCube(kGrabTargetEdge);
    glTranslatef(-target.x, -target.y, -target.z);
}
