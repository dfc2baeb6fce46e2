/* Context numbers of the help topics. The program asks for a topic by its
   number: the main window for 5002, the curve editor for 5003. */
#define IDH_MAIN_WINDOW 5002
#define IDH_CURVE_EDITOR 5003
