#pragma once
// The names, paths and interfaces by which clients reach Tarvik on the session bus. Outside
// programs rely on every one of them: they never change.
namespace tarvik::bus {

// The class object: whoever owns this name serves the next client's CreateInstance.
inline constexpr char ServiceName[] = "Tarvik.TarvikObject";
inline constexpr char ClassFactoryPath[] = "/Tarvik";
inline constexpr char ClassFactoryInterface[] = "Tarvik.ClassFactory";
// Objects are ObjectPathPrefix followed by a number, never reused within a process.
inline constexpr char ObjectPathPrefix[] = "/Tarvik/TarvikObject/";
inline constexpr char ObjectInterface[] = "Tarvik.ITarvikObject";
inline constexpr char ConnectionPointInterface[] = "Tarvik.IConnectionPoint";
inline constexpr char EventsInterface[] = "Tarvik._ITarvikObjectEvents";
inline constexpr char InstrumentChanged[] = "InstrumentChanged";

// Owned by a stand-alone run for its whole life; calls to it hold no lock.
inline constexpr char ControlBusName[] = "Tarvik.Control";
inline constexpr char ControlPath[] = "/Tarvik/Control";
inline constexpr char ControlInterface[] = "Tarvik.Control";
// The error of a Quit the user turned down.
inline constexpr char RefusedError[] = "Tarvik.Error.Refused";
// On the same object: the lines' traffic for subscribers.
inline constexpr char MonitorInterface[] = "Tarvik.Monitor";
inline constexpr char Traffic[] = "Traffic";

// The switch with which the bus starts the executable for a client.
inline constexpr char ActivationSwitch[] = "-Embedding";

}  // namespace tarvik::bus
