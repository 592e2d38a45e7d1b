#pragma once
// Placeholder: the Impulse Tracker writer.
