// The abstract base of every effect object the driver owns: the seven scenes and the two screen
// tools. It fixes the life-cycle operations and carries the music position of the frame.
#pragma once

class Scene {
public:
    virtual void render(float t) = 0;
    virtual void load() = 0;
    virtual void enter() = 0;
    virtual void unload() = 0;
    virtual void leave() {}
    virtual ~Scene() {}

    void setMusicPosition(int order, int row)
    {
        this->order = order;
        this->row = row;
    }

    // Not initialised by the base: the driver writes order and row before every render, and the
    // scenes that use time write it at the start of their render.
    int order;
    int row;
    float time;
};

// The one leave() shared by the scenes that hand the depth test back enabled.
class DepthTestScene : public Scene {
public:
    void leave() override;

protected:
    // How their enter() begins: the whole window as viewport, the depth buffer cleared with a
    // black clear colour, and the depth test off until leave().
    static void enterWithoutDepthTest();
};
