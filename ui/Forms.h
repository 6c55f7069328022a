#pragma once

// Creates the seven windows once, in their fixed order, and sets the global pointers Form1 to
// Form7. They live until the process ends; dialogs are only shown and hidden. Calling it again
// does nothing.
void CreateAllForms();

// Destroys the windows in reverse order. Call it before the application object goes away.
void DestroyAllForms();
