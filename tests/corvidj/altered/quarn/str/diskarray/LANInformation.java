package quarn.str.diskarray;

// LANInformation without its field `negotiation`.
public class LANInformation {
  public int dhcp;
  public String ip_address;
  public String subnet;
  public String gateway;
  public String ether;
  public int lan_connect;
  public int mainte_ip_change_mode;
  public int mainte_ip_change_mode_new;
}
