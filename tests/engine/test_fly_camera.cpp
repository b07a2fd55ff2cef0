#include "engine/CKeSceneNodeAnimatorCamera.h"

#include <gtest/gtest.h>

#include <irrlicht/irrlicht.h>

#include <cmath>
#include <initializer_list>
#include <vector>

using namespace irr;
using namespace kolm;

namespace {

// A cursor in an 800 x 600 window that stays where it is put.
class FakeCursor : public gui::ICursorControl {
public:
    void setVisible(bool) override {}
    bool isVisible() const override { return true; }
    void setPosition(const core::position2d<f32>& p) override { setPosition(p.X, p.Y); }
    void setPosition(f32 x, f32 y) override {
        relative.set(x, y);
        absolute.set(static_cast<s32>(x * 800), static_cast<s32>(y * 600));
        ++moves;
    }
    void setPosition(const core::position2d<s32>& p) override { setPosition(p.X, p.Y); }
    void setPosition(s32 x, s32 y) override { setPosition(x / 800.0f, y / 600.0f); }
    const core::position2d<s32>& getPosition() override { return absolute; }
    core::position2d<f32> getRelativePosition() override { return relative; }
    void setReferenceRect(core::rect<s32>*) override {}

    core::position2d<f32> relative{0.5f, 0.5f};
    core::position2d<s32> absolute{400, 300};
    int moves = 0;
};

// Stands in for the library's collision response: records jumps.
class FakeCollision : public scene::ISceneNodeAnimatorCollisionResponse {
public:
    void animateNode(scene::ISceneNode*, u32) override {}
    scene::ISceneNodeAnimator* createClone(scene::ISceneNode*, scene::ISceneManager*) override { return nullptr; }
    scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override { return scene::ESNAT_COLLISION_RESPONSE; }
    bool isFalling() const override { return falling; }
    void setEllipsoidRadius(const core::vector3df&) override {}
    core::vector3df getEllipsoidRadius() const override { return {}; }
    void setGravity(const core::vector3df&) override {}
    core::vector3df getGravity() const override { return {}; }
    void jump(f32 speed) override { jumps.push_back(speed); }
    void setAnimateTarget(bool) override {}
    bool getAnimateTarget() const override { return false; }
    void setEllipsoidTranslation(const core::vector3df&) override {}
    core::vector3df getEllipsoidTranslation() const override { return {}; }
    void setWorld(scene::ITriangleSelector*) override {}
    scene::ITriangleSelector* getWorld() const override { return nullptr; }
    void setTargetNode(scene::ISceneNode*) override {}
    scene::ISceneNode* getTargetNode() const override { return nullptr; }
    bool collisionOccurred() const override { return false; }
    const core::vector3df& getCollisionPoint() const override { return zero; }
    const core::triangle3df& getCollisionTriangle() const override { return triangle; }
    const core::vector3df& getCollisionResultPosition() const override { return zero; }
    scene::ISceneNode* getCollisionNode() const override { return nullptr; }
    void setCollisionCallback(scene::ICollisionCallback*) override {}

    bool falling = false;
    std::vector<f32> jumps;
    core::vector3df zero;
    core::triangle3df triangle;
};

struct Pose {
    core::vector3df position, target;
};

class FlyCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = createDevice(video::EDT_NULL, core::dimension2du(800, 600));
        ASSERT_NE(device, nullptr);
        device->getLogger()->setLogLevel(ELL_NONE);
        smgr = device->getSceneManager();
        camera = smgr->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 0, 100));
        cursor = new FakeCursor;
        anim = new CKeSceneNodeAnimatorCamera(device, cursor);
        cursor->drop();  // the animator holds it
        anim->setWindowActiveQuery([](void* u) { return *static_cast<bool*>(u); }, &active);
        camera->addAnimator(anim);
        cursor->moves = 0;
    }
    void TearDown() override {
        anim->drop();
        device->drop();
    }

public:

    void frames(std::initializer_list<u32> times) {
        for (u32 t : times) anim->animateNode(camera, t);
    }
    // 60 frames a second from `from` (ms) for `count` frames; returns the time after the last.
    u32 frames60(u32 from, int count) {
        u32 t = from;
        for (int i = 1; i <= count; ++i) {
            t = from + static_cast<u32>(i * 50 / 3);
            anim->animateNode(camera, t);
        }
        return t;
    }
    bool key(EKEY_CODE code, bool down) {
        SEvent e{};
        e.EventType = EET_KEY_INPUT_EVENT;
        e.KeyInput.Key = code;
        e.KeyInput.PressedDown = down;
        return anim->OnEvent(e);
    }
    bool mouse(EMOUSE_INPUT_EVENT what) {
        SEvent e{};
        e.EventType = EET_MOUSE_INPUT_EVENT;
        e.MouseInput.Event = what;
        return anim->OnEvent(e);
    }
    void moveCursor(f32 x, f32 y) {
        cursor->setPosition(x, y);
        mouse(EMIE_MOUSE_MOVED);
    }
    core::vector3df look() const { return (camera->getTarget() - camera->getPosition()).getHorizontalAngle(); }
    Pose pose() const { return {camera->getPosition(), camera->getTarget()}; }
    void ride(s32 mode, u32 start = 1000) {
        anim->setMode(mode);
        frames({start});
    }

    IrrlichtDevice* device = nullptr;
    scene::ISceneManager* smgr = nullptr;
    scene::ICameraSceneNode* camera = nullptr;
    FakeCursor* cursor = nullptr;
    CKeSceneNodeAnimatorCamera* anim = nullptr;
    bool active = true;
};

void expectNear(const core::vector3df& a, const core::vector3df& b, f32 tolerance = 1e-4f) {
    EXPECT_NEAR(a.X, b.X, tolerance);
    EXPECT_NEAR(a.Y, b.Y, tolerance);
    EXPECT_NEAR(a.Z, b.Z, tolerance);
}

}  // namespace

TEST_F(FlyCameraTest, StepsFollowTheFrameGapsAtSixtyHertz) {
    struct Case {
        const char* name;
        std::vector<u32> frames;  // after a first step at 1000
        u32 steps;
        u32 lastStep;
    };
    const Case cases[] = {
        {"40 ms: one step in between and one at the frame", {1040}, 2, 1040},
        {"10 ms: nothing", {1010}, 0, 1000},
        {"16 ms: the frame's step", {1016}, 1, 1016},
        {"15 then 33 ms", {1015, 1033}, 1, 1033},
        {"100 ms: five steps in between", {1100}, 6, 1100},
        {"a 10 s stall catches up half a second at most", {11000}, 30, 11000},
        {"clock going backwards: no step, resynchronised", {900}, 0, 900},
        {"backwards, then 40 ms", {900, 940}, 2, 940},
        {"40 ms across the wrap of the millisecond clock", {0xFFFFFFF0u, 0x18u}, 2, 0x18u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ride(KE_CAMERA_RIDE_DRAG);
        const u32 before = anim->getStepCount();
        for (u32 t : c.frames) anim->animateNode(camera, t);
        EXPECT_EQ(anim->getStepCount() - before, c.steps);
        EXPECT_EQ(anim->getLastStepTime(), c.lastStep);
    }
}

TEST_F(FlyCameraTest, TheRideDoesNotDependOnTheFrameRate) {
    // The same steps run whether frames come every 40 ms, or also in between, or 10 ms after
    // a step (which runs nothing): the poses come out identical, turned and moved.
    const std::vector<std::vector<u32>> schedules = {
        {1040, 1080, 1120, 1160},
        {1016, 1040, 1056, 1080, 1096, 1120, 1136, 1160},
        {1010, 1040, 1050, 1080, 1090, 1120, 1130, 1160},
    };
    std::vector<Pose> poses;
    for (const auto& schedule : schedules) {
        camera->setPosition(core::vector3df(0, 0, 0));
        camera->setTarget(core::vector3df(0, 0, 100));
        anim->setPosition(0, 0, 0);
        ride(KE_CAMERA_RIDE_DRAG);
        // A drag to the right taken by the first step, then turning inertia and movement.
        mouse(EMIE_LMOUSE_PRESSED_DOWN);
        moveCursor(0.5f, 0.5f);
        frames({1000});
        mouse(EMIE_LMOUSE_LEFT_UP);
        moveCursor(0.6f, 0.5f);
        key(KEY_UP, true);
        key(KEY_LEFT, true);
        for (u32 t : schedule) anim->animateNode(camera, t);
        key(KEY_UP, false);
        key(KEY_LEFT, false);
        poses.push_back(pose());
    }
    EXPECT_GT(poses[0].position.getLength(), 0.5f);
    for (size_t i = 1; i < poses.size(); ++i) {
        SCOPED_TRACE(i);
        expectNear(poses[i].position, poses[0].position);
        expectNear(poses[i].target, poses[0].target);
    }
}

TEST_F(FlyCameraTest, ReleasedCameraSlowsByInertiaEachStep) {
    ride(KE_CAMERA_RIDE_DRAG);
    key(KEY_UP, true);
    u32 t = frames60(1000, 30);
    key(KEY_UP, false);
    const f32 cruising = anim->getVelocity().getLength();
    EXPECT_NEAR(cruising, 16.67f * 0.01f, 0.01f);  // full speed: 0.01 units per ms
    core::vector3df previous = camera->getPosition();
    f32 lastStep = cruising;
    for (int i = 0; i < 10; ++i) {
        t = frames60(t, 1);
        const f32 step = camera->getPosition().getDistanceFrom(previous);
        EXPECT_NEAR(step / lastStep, 0.85f, 1e-3f) << "step " << i;
        previous = camera->getPosition();
        lastStep = step;
    }
}

TEST_F(FlyCameraTest, MovementRampsUpOverTheAccelerationTime) {
    anim->setMoveSpeed(1.0f);
    key(KEY_UP, true);
    ride(KE_CAMERA_RIDE_DRAG);  // the key goes down at the first step: t = 1000
    EXPECT_EQ(camera->getPosition().getLength(), 0.0f);
    // Each step adds dt x speed x (1 - 0.85) x ramp on top of 0.85 of the last step.
    struct Case {
        u32 t;
        f32 ramp;
    };
    const Case cases[] = {{1016, 0.16f}, {1033, 0.33f}, {1050, 0.5f}, {1066, 0.66f}, {1083, 0.83f}, {1100, 1.0f}, {1116, 1.0f}};
    core::vector3df position = camera->getPosition();
    core::vector3df velocity;
    u32 last = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        frames({c.t});
        const core::vector3df step = camera->getPosition() - position;
        const core::vector3df added = step - velocity * 0.85f;
        EXPECT_NEAR(added.Z, (c.t - last) * 1.0f * 0.15f * c.ramp, 1e-3f);
        EXPECT_NEAR(added.X, 0.0f, 1e-4f);
        position = camera->getPosition();
        velocity = step;
        last = c.t;
    }
}

TEST_F(FlyCameraTest, PitchStaysWithinTheVerticalLimit) {
    struct Case {
        f32 pitch;
        f32 limited;
    };
    const Case cases[] = {{100, 88},  {200, 272}, {88, 88},   {272, 272}, {0, 0},    {300, 300},
                          {175, 88},  {177, 272}, {-10, 350}, {-120, 272}, {400, 40}, {-300, 60}};
    for (const Case& c : cases) EXPECT_FLOAT_EQ(keLimitRidePitch(c.pitch, 88), c.limited) << c.pitch;

    // Dragging far down or far up stops at the limits; so does one large turn past 0.
    struct Drag {
        const char* name;
        f32 rotateSpeed;
        f32 dy;  // per frame
        int frames;
        f32 pitch;
    };
    const Drag drags[] = {
        {"down", 100, 0.05f, 60, 88},
        {"up", 100, -0.05f, 60, 272},
        {"one big jerk up", 1000, -0.4f, 1, 272},
    };
    for (const Drag& d : drags) {
        SCOPED_TRACE(d.name);
        camera->setTarget(camera->getPosition() + core::vector3df(0, 0, 1));
        anim->setRotateSpeed(d.rotateSpeed);
        ride(KE_CAMERA_RIDE_DRAG);
        mouse(EMIE_LMOUSE_PRESSED_DOWN);
        moveCursor(0.5f, 0.5f);
        u32 t = frames60(1000, 1);  // the drag starts
        f32 y = 0.5f;
        for (int i = 0; i < d.frames; ++i) {
            y += d.dy;
            moveCursor(0.5f, y);
            t = frames60(t, 1);
        }
        mouse(EMIE_LMOUSE_LEFT_UP);
        EXPECT_NEAR(look().X, d.pitch, 0.05f);
    }
}

TEST_F(FlyCameraTest, MouseTurnsByModeAndInversion) {
    struct Case {
        const char* name;
        s32 mode;
        bool invert;
        f32 dx, dy;
        f32 yaw, pitch;  // degrees turned in the first step: (1 - 0.7) x delta x 100
    };
    const Case cases[] = {
        {"mouse look right", KE_CAMERA_RIDE_MOUSE, false, 0.2f, 0, 6, 0},
        {"mouse look down", KE_CAMERA_RIDE_MOUSE, false, 0, 0.1f, 0, 3},
        {"mouse look down, inverted", KE_CAMERA_RIDE_MOUSE, true, 0, 0.1f, 0, -3},
        {"mouse look right, inverted", KE_CAMERA_RIDE_MOUSE, true, 0.2f, 0, 6, 0},
        {"drag right", KE_CAMERA_RIDE_DRAG, false, 0.2f, 0, 6, 0},
        {"drag right, inverted", KE_CAMERA_RIDE_DRAG, true, 0.2f, 0, -6, 0},
        {"drag down, inverted", KE_CAMERA_RIDE_DRAG, true, 0, 0.1f, 0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        camera->setTarget(camera->getPosition() + core::vector3df(0, 0, 1));
        anim->setInvertMouse(c.invert);
        ride(c.mode);
        mouse(EMIE_LMOUSE_PRESSED_DOWN);
        moveCursor(0.5f, 0.5f);
        u32 t = frames60(1000, 1);  // mode 4: the drag starts
        const int recentred = cursor->moves;
        moveCursor(0.5f + c.dx, 0.5f + c.dy);
        frames60(t, 1);
        mouse(EMIE_LMOUSE_LEFT_UP);
        f32 pitch = look().X > 180 ? look().X - 360 : look().X;
        f32 yaw = look().Y > 180 ? look().Y - 360 : look().Y;
        EXPECT_NEAR(yaw, c.yaw, 1e-3f);
        EXPECT_NEAR(pitch, c.pitch, 1e-3f);
        if (c.mode == KE_CAMERA_RIDE_MOUSE) {
            // Mouse look puts the cursor back at the centre after taking the turn.
            EXPECT_GT(cursor->moves, recentred + 1);
            EXPECT_FLOAT_EQ(cursor->relative.X, 0.5f);
            EXPECT_FLOAT_EQ(cursor->relative.Y, 0.5f);
        }
    }
}

// A window that never had the focus counts as active only where nothing will ever give it:
// X11 without a window manager. Under a window manager that withholds the focus it is
// inactive, and mouse ride leaves the user's pointer alone.
TEST_F(FlyCameraTest, AWindowThatNeverHadTheFocusRidesOnlyWithoutAWindowManager) {
    for (const bool windowManager : {false, true}) {
        SCOPED_TRACE(windowManager);
        static bool present;
        present = windowManager;
        anim->setWindowManagerQuery([](void*) { return present; }, nullptr);
        active = false;
        camera->setPosition(core::vector3df(0, 0, 0));
        camera->setTarget(core::vector3df(0, 0, 1));
        ride(KE_CAMERA_RIDE_MOUSE);
        const int recentred = cursor->moves;
        key(KEY_UP, true);
        moveCursor(0.8f, 0.3f);
        frames60(1000, 10);
        key(KEY_UP, false);
        if (windowManager) {
            EXPECT_EQ(camera->getPosition().Z, 0.0f);
            EXPECT_EQ(cursor->moves, recentred + 1);  // only the test's own move
        } else {
            EXPECT_GT(camera->getPosition().Z, 0.1f);
        }
    }
}

TEST_F(FlyCameraTest, InactiveWindowFreezesMouseLookOnly) {
    struct Case {
        s32 mode;
        bool glides;
    };
    for (const Case c : {Case{KE_CAMERA_RIDE_MOUSE, false}, Case{KE_CAMERA_RIDE_DRAG, true}}) {
        SCOPED_TRACE(c.mode);
        active = true;
        ride(c.mode);
        key(KEY_UP, true);
        u32 t = frames60(1000, 20);
        active = false;
        const core::vector3df before = camera->getPosition();
        moveCursor(0.9f, 0.9f);
        t = frames60(t, 1);
        const f32 moved = camera->getPosition().getDistanceFrom(before);
        if (c.glides) {
            // The held key is let go; the camera glides on at 0.85 of its speed.
            EXPECT_NEAR(moved, anim->getVelocity().getLength(), 1e-5f);
            EXPECT_GT(moved, 0.0f);
            const core::vector3df glide = camera->getPosition();
            frames60(t, 1);
            EXPECT_NEAR(camera->getPosition().getDistanceFrom(glide), moved * 0.85f, 1e-4f);
        } else {
            EXPECT_EQ(moved, 0.0f);
            expectNear(look(), core::vector3df(0, 0, 0), 1e-3f);
        }
        key(KEY_UP, false);
        active = true;
        camera->setPosition(core::vector3df(0, 0, 0));
        camera->setTarget(core::vector3df(0, 0, 1));
    }
}

TEST_F(FlyCameraTest, ModesPlaceTheCamera) {
    anim->setPosition(10, 20, 30);
    anim->setRotation(0, 90, 0);
    struct Case {
        s32 mode;
        core::vector3df position;
        core::vector3df target;
        core::vector3df up;
    };
    const Case cases[] = {
        {KE_CAMERA_FOLLOW, {10, 20, 30}, {11, 20, 30}, {0, 1, 0}},
        {KE_CAMERA_IDLE, {10, 20, 30}, {11, 20, 30}, {0, 1, 0}},  // left as it was
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        anim->setMode(c.mode);
        frames({2000});
        expectNear(camera->getPosition(), c.position);
        expectNear(camera->getTarget(), c.target);
        expectNear(camera->getUpVector(), c.up);
    }
    anim->setRotation(90, 0, 0);  // follow: looking straight down, up vector along +Z
    anim->setMode(KE_CAMERA_FOLLOW);
    frames({2000});
    expectNear(camera->getTarget(), core::vector3df(10, 19, 30));
    expectNear(camera->getUpVector(), core::vector3df(0, 0, 1));

    anim->setMode(KE_CAMERA_DIRECT);
    anim->setPosition(1, 2, 3);
    anim->setRotation(4, 5, 6);
    frames({2000});
    expectNear(camera->getPosition(), core::vector3df(1, 2, 3));
    expectNear(camera->getRotation(), core::vector3df(4, 5, 6));

    // Entering a ride starts from the stored position and drops the speed of an earlier ride.
    anim->setRotation(0, 0, 0);
    camera->setTarget(core::vector3df(1, 2, 4));
    ride(KE_CAMERA_RIDE_DRAG, 3000);
    key(KEY_UP, true);
    u32 t = frames60(3000, 30);
    key(KEY_UP, false);
    EXPECT_GT(anim->getVelocity().getLength(), 0.1f);
    anim->setMode(KE_CAMERA_RIDE_MOUSE);
    frames({t + 100});
    expectNear(camera->getPosition(), core::vector3df(1, 2, 3));
    EXPECT_EQ(anim->getVelocity().getLength(), 0.0f);
    frames60(t + 100, 1);
    expectNear(camera->getPosition(), core::vector3df(1, 2, 3));
    EXPECT_EQ(anim->getMode(), KE_CAMERA_RIDE_MOUSE);
}

TEST_F(FlyCameraTest, EventsAndKeyMap) {
    struct Case {
        const char* name;
        bool consumed;
        bool (*send)(FlyCameraTest*);
    };
    const Case cases[] = {
        {"mapped key", true, [](FlyCameraTest* t) { return t->key(KEY_UP, true); }},
        {"unmapped key", false, [](FlyCameraTest* t) { return t->key(KEY_KEY_W, true); }},
        {"left button", true, [](FlyCameraTest* t) { return t->mouse(EMIE_LMOUSE_PRESSED_DOWN); }},
        {"left button up", true, [](FlyCameraTest* t) { return t->mouse(EMIE_LMOUSE_LEFT_UP); }},
        {"mouse moved", true, [](FlyCameraTest* t) { return t->mouse(EMIE_MOUSE_MOVED); }},
        {"wheel", false, [](FlyCameraTest* t) { return t->mouse(EMIE_MOUSE_WHEEL); }},
        {"right button", false, [](FlyCameraTest* t) { return t->mouse(EMIE_RMOUSE_PRESSED_DOWN); }},
    };
    for (const Case& c : cases) EXPECT_EQ(c.send(this), c.consumed) << c.name;

    // A new map keeps only actions 0 to 4; the plain Shift binding takes either Shift key.
    const SCamKeyMap map[] = {{KE_CAM_FORWARD, KEY_KEY_W}, {7, KEY_KEY_Q}, {KE_CAM_JUMP, KEY_SHIFT}, {-1, KEY_KEY_E}};
    anim->setKeyMap(map, 4);
    ASSERT_EQ(anim->getKeyMap().size(), 2u);
    EXPECT_TRUE(key(KEY_KEY_W, true));
    EXPECT_FALSE(key(KEY_KEY_Q, true));
    EXPECT_FALSE(key(KEY_UP, true));
    EXPECT_TRUE(key(KEY_RSHIFT, true));

    // Jump asks every collision response that stands on something, with the jump speed.
    auto* standing = new FakeCollision;
    auto* falling = new FakeCollision;
    falling->falling = true;
    camera->addAnimator(standing);
    camera->addAnimator(falling);
    anim->setJumpSpeed(4.5f);
    ride(KE_CAMERA_RIDE_DRAG);
    EXPECT_EQ(standing->jumps, std::vector<f32>{4.5f});
    EXPECT_TRUE(falling->jumps.empty());
    standing->drop();
    falling->drop();
}

TEST_F(FlyCameraTest, CloneAndType) {
    EXPECT_EQ(static_cast<s32>(anim->getType()), 10001);
    anim->setMoveSpeed(0.5f);
    anim->setRotateSpeed(50);
    anim->setJumpSpeed(3);
    anim->setInvertMouse(true);
    anim->setMode(KE_CAMERA_RIDE_MOUSE);
    const SCamKeyMap map[] = {{KE_CAM_BACKWARD, KEY_KEY_S}};
    anim->setKeyMap(map, 1);
    auto* clone = static_cast<CKeSceneNodeAnimatorCamera*>(anim->createClone(camera, nullptr));
    EXPECT_EQ(clone->getMode(), KE_CAMERA_IDLE);
    EXPECT_EQ(clone->getMoveSpeed(), 0.5f);
    EXPECT_EQ(clone->getRotateSpeed(), 50.0f);
    EXPECT_EQ(clone->getJumpSpeed(), 3.0f);
    ASSERT_EQ(clone->getKeyMap().size(), 1u);
    EXPECT_EQ(clone->getKeyMap()[0].keyCode, KEY_KEY_S);
    clone->drop();
    // Nodes other than cameras are left alone.
    scene::ISceneNode* empty = smgr->addEmptySceneNode();
    empty->setPosition(core::vector3df(5, 5, 5));
    anim->setMode(KE_CAMERA_DIRECT);
    anim->animateNode(empty, 100);
    expectNear(empty->getPosition(), core::vector3df(5, 5, 5));
}
