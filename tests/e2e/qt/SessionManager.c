/* A session manager of the tests' own: just enough of XSMP (libSM's server side) to do to its one
 * client what a desktop's session manager does: ask it to save itself at a checkpoint, start a
 * log-out and cancel it, and end the session.
 *
 *     vorda-e2e-session-manager ADDRESS_FILE
 *
 * Writes the address that SESSION_MANAGER must hold to ADDRESS_FILE, then reads commands from
 * standard input, one a line: "checkpoint", "logout", "cancel", "die". Prints what happens, one line
 * each: "registered", "save-done", "closed". */

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define MAX_LISTENERS 8

static SmsConn client;
static IceConn clientIce;

static void Say(const char* what)
{
    printf("%s\n", what);
    fflush(stdout);
}

static Status RegisterClient(SmsConn connection, SmPointer data, char* previousId)
{
    (void)data;
    free(previousId);
    char* id = SmsGenerateClientID(connection);
    SmsRegisterClientReply(connection, id);
    free(id);
    client = connection;
    Say("registered");
    return 1;
}

static void InteractRequest(SmsConn connection, SmPointer data, int dialogType)
{
    (void)data;
    (void)dialogType;
    SmsInteract(connection);
}

static void InteractDone(SmsConn connection, SmPointer data, Bool cancelShutdown)
{
    (void)connection;
    (void)data;
    (void)cancelShutdown;
}

static void SaveYourselfRequest(SmsConn connection, SmPointer data, int saveType, Bool shutdown, int interactStyle,
                                Bool fast, Bool global)
{
    (void)connection, (void)data, (void)saveType, (void)shutdown, (void)interactStyle, (void)fast, (void)global;
}

static void SaveYourselfPhase2Request(SmsConn connection, SmPointer data)
{
    (void)data;
    SmsSaveYourselfPhase2(connection);
}

static void SaveYourselfDone(SmsConn connection, SmPointer data, Bool success)
{
    (void)connection;
    (void)data;
    Say(success ? "save-done" : "save-failed");
}

static void CloseConnection(SmsConn connection, SmPointer data, int count, char** reasons)
{
    (void)data;
    SmFreeReasons(count, reasons);
    IceConn ice = SmsGetIceConnection(connection);
    SmsCleanUp(connection);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    if (connection == client) {
        client = NULL;
        clientIce = NULL;
    }
    Say("closed");
}

static void SetProperties(SmsConn connection, SmPointer data, int count, SmProp** properties)
{
    (void)connection;
    (void)data;
    for (int i = 0; i < count; ++i) {
        SmFreeProperty(properties[i]);
    }
    free(properties);
}

static void DeleteProperties(SmsConn connection, SmPointer data, int count, char** names)
{
    (void)connection;
    (void)data;
    for (int i = 0; i < count; ++i) {
        free(names[i]);
    }
    free(names);
}

static void GetProperties(SmsConn connection, SmPointer data)
{
    (void)data;
    SmsReturnProperties(connection, 0, NULL);
}

static Status NewClient(SmsConn connection, SmPointer data, unsigned long* mask, SmsCallbacks* callbacks,
                        char** failureReason)
{
    (void)connection;
    (void)data;
    (void)failureReason;
    memset(callbacks, 0, sizeof *callbacks);
    callbacks->register_client.callback = RegisterClient;
    callbacks->interact_request.callback = InteractRequest;
    callbacks->interact_done.callback = InteractDone;
    callbacks->save_yourself_request.callback = SaveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = SaveYourselfPhase2Request;
    callbacks->save_yourself_done.callback = SaveYourselfDone;
    callbacks->close_connection.callback = CloseConnection;
    callbacks->set_properties.callback = SetProperties;
    callbacks->delete_properties.callback = DeleteProperties;
    callbacks->get_properties.callback = GetProperties;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask |
            SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask |
            SmsGetPropertiesProcMask;
    return 1;
}

/* No ICE authority file in the test: every local client is welcome. (libICE frees the name.) */
static Bool AnyHost(char* hostName)
{
    (void)hostName;
    return True;
}

/* A client that goes away is news, not the end of the session manager (libICE's default exits). */
static void KeepRunning(IceConn connection) { (void)connection; }

static void Command(const char* line)
{
    if (client == NULL) {
        Say("no-client");
    } else if (strcmp(line, "checkpoint") == 0) {
        SmsSaveYourself(client, SmSaveBoth, False, SmInteractStyleNone, False);
    } else if (strcmp(line, "logout") == 0) {
        SmsSaveYourself(client, SmSaveBoth, True, SmInteractStyleAny, False);
    } else if (strcmp(line, "cancel") == 0) {
        SmsShutdownCancelled(client);
    } else if (strcmp(line, "die") == 0) {
        SmsDie(client);
    } else {
        Say("unknown-command");
    }
    if (clientIce != NULL) {
        IceFlush(clientIce);
    }
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s ADDRESS_FILE\n", argv[0]);
        return 2;
    }
    char error[256] = "";
    IceSetIOErrorHandler(KeepRunning);
    if (!SmsInitialize("vorda-e2e-session-manager", "1.0", NewClient, NULL, AnyHost, sizeof error, error)) {
        fprintf(stderr, "SmsInitialize: %s\n", error);
        return 1;
    }
    int listenerCount = 0;
    IceListenObj* listeners = NULL;
    if (!IceListenForConnections(&listenerCount, &listeners, sizeof error, error) || listenerCount > MAX_LISTENERS) {
        fprintf(stderr, "IceListenForConnections: %s\n", error);
        return 1;
    }
    for (int i = 0; i < listenerCount; ++i) {
        IceSetHostBasedAuthProc(listeners[i], AnyHost);
    }
    char* address = IceComposeNetworkIdList(listenerCount, listeners);
    FILE* file = fopen(argv[1], "w");
    if (file == NULL || fprintf(file, "%s\n", address) < 0 || fclose(file) != 0) {
        perror(argv[1]);
        return 1;
    }
    free(address);

    char line[64];
    size_t lineLength = 0;
    for (;;) {
        struct pollfd descriptors[MAX_LISTENERS + 2];
        int count = 0;
        descriptors[count++] = (struct pollfd){.fd = STDIN_FILENO, .events = POLLIN};
        for (int i = 0; i < listenerCount; ++i) {
            descriptors[count++] = (struct pollfd){.fd = IceGetListenConnectionNumber(listeners[i]), .events = POLLIN};
        }
        if (clientIce != NULL) {
            descriptors[count++] = (struct pollfd){.fd = IceConnectionNumber(clientIce), .events = POLLIN};
        }
        if (poll(descriptors, (nfds_t)count, -1) < 0) {
            continue;
        }
        if (descriptors[0].revents != 0) {
            char c;
            if (read(STDIN_FILENO, &c, 1) != 1) {
                return 0; /* the test is done with us */
            }
            if (c == '\n') {
                line[lineLength] = '\0';
                lineLength = 0;
                Command(line);
            } else if (lineLength + 1 < sizeof line) {
                line[lineLength++] = c;
            }
        }
        for (int i = 0; i < listenerCount; ++i) {
            if (descriptors[1 + i].revents == 0) {
                continue;
            }
            IceAcceptStatus status;
            IceConn ice = IceAcceptConnection(listeners[i], &status);
            if (ice == NULL) {
                continue;
            }
            IceConnectStatus connecting;
            while ((connecting = IceConnectionStatus(ice)) == IceConnectPending) {
                if (IceProcessMessages(ice, NULL, NULL) == IceProcessMessagesIOError) {
                    break;
                }
            }
            if (connecting == IceConnectAccepted) {
                clientIce = ice;
            } else {
                IceCloseConnection(ice);
            }
        }
        if (clientIce != NULL && descriptors[count - 1].fd == IceConnectionNumber(clientIce) &&
            descriptors[count - 1].revents != 0) {
            if (IceProcessMessages(clientIce, NULL, NULL) == IceProcessMessagesIOError) {
                IceConn gone = clientIce;
                if (client != NULL) {
                    SmsCleanUp(client);
                    client = NULL;
                }
                clientIce = NULL;
                IceSetShutdownNegotiation(gone, False);
                IceCloseConnection(gone);
                Say("closed");
            }
        }
    }
}
