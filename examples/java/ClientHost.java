// A Java host of the installed library through TokenClient: authenticates a
// card and asks for its status, on the configuration file it is given.
import java.nio.file.Path;
import vantor.mira.ExpiryResult;
import vantor.mira.StatusResult;
import vantor.mira.TokenClient;

public class ClientHost {
  public static void main(String[] args) throws Exception {
    if (args.length != 3) {
      System.err.println(
          "usage: java -cp /usr/share/java/zephyrcoilvault.jar:. ClientHost CONFIG CARD PASSWORD");
      System.exit(64);
    }
    int card = Integer.parseInt(args[1]);
    try (TokenClient client = TokenClient.open(Path.of(args[0]), null)) {
      ExpiryResult auth = client.auth(card, Integer.parseInt(args[2]));
      StatusResult status = client.status(card);
      System.out.println(auth.code() + " valid until " + auth.expiry().map(Object::toString).orElse("-")
          + ", status " + status.cardStatus());
      if (!auth.isAccepted()) System.exit(1);
    }
  }
}
