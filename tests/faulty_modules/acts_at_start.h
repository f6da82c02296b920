// For faulty modules whose fault is something the module does to the process as it starts:
// acting_registry.cpp stands in for the module's plugin_registry.cpp and runs the fault's act
// before each registration, which the module makes in its start.
#ifndef TONEMIX_FAULTY_ACTS_AT_START_H
#define TONEMIX_FAULTY_ACTS_AT_START_H

// Defined once by each such fault.
void act_at_start();

#endif
